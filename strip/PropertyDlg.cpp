#include "strip/PropertyDlg.h"

#include "framework/App.h"
#include "framework/HotKey.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "strip/ControlDlg.h"

namespace {

struct SpinRange {
    int lower;
    int upper;
};

const SpinRange kTopMarginRange = {0, 100};
const SpinRange kSideMarginRange = {0, 200};
const SpinRange kBottomMarginRange = {0, 100};
const SpinRange kLimitRange = {1, 50};
const SpinRange kIntervalRange = {1, 20};

}  // namespace

BEGIN_MESSAGE_MAP(CLocationSettingDlg, CDialog)
    ON_BN_CLICKED(IDC_CHECK_HOTKEY, &CLocationSettingDlg::OnCheckHotKey)
END_MESSAGE_MAP()

CLocationSettingDlg::CLocationSettingDlg(CWnd* parent)
    : CDialog(IDD_LOCATION_SETTING, parent),
      m_nLocation(-1),
      m_nSize(-1),
      m_bFrame(0),
      m_nTopMargin(0),
      m_nLeftMargin(0),
      m_nRightMargin(0),
      m_nBottomMargin(0),
      m_nLimit(0),
      m_nInterval(5),
      m_nHoverHotKey('W'),
      m_nHoverModifiers(MOD_WIN)
{}

CLocationSettingDlg::~CLocationSettingDlg() {}

void CLocationSettingDlg::SetValues(const PropertyValues& v)
{
    m_nLocation = v.location;
    m_nSize = v.size;
    m_nTopMargin = v.topMargin;
    m_nLeftMargin = v.leftMargin;
    m_nRightMargin = v.rightMargin;
    m_nBottomMargin = v.bottomMargin;
    m_nLimit = v.limit;
    m_nInterval = v.interval;
    m_bFrame = v.frame;
    m_nHoverHotKey = v.hotKey;
    m_nHoverModifiers = v.modifiers;
}

PropertyValues CLocationSettingDlg::GetValues() const
{
    return {m_nLocation, m_nSize,     m_nTopMargin, m_nLeftMargin,  m_nRightMargin,   m_nBottomMargin,
            m_nLimit,    m_nInterval, m_bFrame,     m_nHoverHotKey, m_nHoverModifiers};
}

void CLocationSettingDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_INTERVAL_SPIN, m_spinInterval);
    DDX_Control(dx, IDC_LIMIT_SPIN, m_spinLimit);
    DDX_Control(dx, IDC_BOTTOMMARGIN_SPIN, m_spinBottomMargin);
    DDX_Control(dx, IDC_LEFTMARGIN_SPIN, m_spinLeftMargin);
    DDX_Control(dx, IDC_RIGHTMARGIN_SPIN, m_spinRightMargin);
    DDX_Control(dx, IDC_TOPMARGIN_SPIN, m_spinTopMargin);
    DDX_Radio(dx, IDC_LOC_TOP, m_nLocation);
    DDX_Radio(dx, IDC_SIZE_SMALL, m_nSize);
    DDX_Check(dx, IDC_FRAME, m_bFrame);
    DDX_Control(dx, IDC_HOVER_HOTKEY, m_hotKey);
}

BOOL CLocationSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const struct {
        CSpinButtonCtrl* spin;
        SpinRange range;
        int value;
    } spins[] = {
        {&m_spinTopMargin, kTopMarginRange, m_nTopMargin},
        {&m_spinLeftMargin, kSideMarginRange, m_nLeftMargin},
        {&m_spinRightMargin, kSideMarginRange, m_nRightMargin},
        {&m_spinBottomMargin, kBottomMarginRange, m_nBottomMargin},
        {&m_spinLimit, kLimitRange, m_nLimit},
        {&m_spinInterval, kIntervalRange, m_nInterval},
    };
    for (const auto& s : spins) {
        s.spin->SetRange32(s.range.lower, s.range.upper);
        s.spin->SetPos32(s.value);
    }
    m_hotKey.SetHotKey(LOWORD(static_cast<DWORD>(m_nHoverHotKey)), LOWORD(static_cast<DWORD>(m_nHoverModifiers)));
    UpdateData(FALSE);
    return TRUE;
}

BOOL CLocationSettingDlg::TestHotKey(WORD modifiers, WORD vk)
{
    AfxTrace("Modifiers=%d\n", modifiers);
    AfxTrace("HotKey = %d\n", vk);
    CHotKeyRegistration probe;  // released again at once: only whether the key is free matters
    return probe.Register(m_hWnd, IDHK_TEST, modifiers, vk);
}

void CLocationSettingDlg::ShowMessage(const char* text)
{
    MessageBox(text);
}

void CLocationSettingDlg::OnOK()
{
    WORD vk = 0;
    WORD modifiers = 0;
    m_hotKey.GetHotKey(vk, modifiers);
    // A stored combination the field cannot show counts as unchanged while the field is untouched.
    if (HotKeyChanged(vk, modifiers, m_nHoverHotKey, m_nHoverModifiers)) {
        if (!TestHotKey(modifiers, vk)) {
            ShowMessage("HoverKey設定は既に他のアプリケーションで使用されています。他の組み合わせに変更してください.");
            return;
        }
        m_nHoverModifiers = modifiers;
        m_nHoverHotKey = vk;
    }

    // Text that is not a whole number in range keeps the spin's last position.
    const struct {
        CSpinButtonCtrl* spin;
        int* value;
    } spins[] = {
        {&m_spinTopMargin, &m_nTopMargin},
        {&m_spinLeftMargin, &m_nLeftMargin},
        {&m_spinRightMargin, &m_nRightMargin},
        {&m_spinBottomMargin, &m_nBottomMargin},
        {&m_spinLimit, &m_nLimit},
        {&m_spinInterval, &m_nInterval},
    };
    for (const auto& s : spins)
        *s.value = s.spin->ReadValue();

    // Nothing checked in a group (a hand-edited value) keeps the preset.
    const int location = m_nLocation;
    const int size = m_nSize;
    if (!UpdateData(TRUE))
        return;
    m_nLocation = RadioResult(m_nLocation, location);
    m_nSize = RadioResult(m_nSize, size);
    EndDialog(IDOK);
}

void CLocationSettingDlg::OnCheckHotKey()
{
    WORD vk = 0;
    WORD modifiers = 0;
    m_hotKey.GetHotKey(vk, modifiers);
    if (!HotKeyChanged(vk, modifiers, m_nHoverHotKey, m_nHoverModifiers))
        ShowMessage("現在の設定です。");
    else if (TestHotKey(modifiers, vk))
        ShowMessage("設定可能です.");
    else
        ShowMessage(
            "このキーの組み合わせは既に他のアプリケーションで使用されています。他の組み合わせに変更してください.");
}
