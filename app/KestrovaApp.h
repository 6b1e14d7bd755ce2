#pragma once
#include "framework/App.h"

class CKestrovaApp : public CWinApp {
public:
    CKestrovaApp();
    ~CKestrovaApp() override;
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
