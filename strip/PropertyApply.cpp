#include "strip/PropertyApply.h"

void ApplyPropertyValues(const PropertyValues& preset, const PropertyValues& result, const PropertyApplyCalls& calls)
{
    if (SamePropertyValues(preset, result)) {
        calls.save();
        return;
    }
    calls.takeLayout(result);
    calls.takeNumbers(result);
    // Compared with the box as it was shown: a FRAME of 7 left ticked stays 7.
    if (result.frame != preset.frame)
        calls.takeFrame(result.frame);
    calls.updateTaskBar();
    calls.updateLabels();
    calls.arrange();
    if (!calls.pageAlive())
        return;
    const HoverKey kept = ReplaceHoverKey(calls.hoverKey, HoverKey{preset.hotKey, preset.modifiers},
                                          HoverKey{result.hotKey, result.modifiers});
    if (!calls.pageAlive())
        return;
    calls.takeHoverKey(kept);
    calls.save();
}
