#pragma once
// What the control page does with the property dialog's values on OK, as one fixed sequence over
// calls the page supplies, so that the order of the steps can be tested without a desktop.
#include "strip/HoverHotKey.h"
#include "strip/PropertyValues.h"

#include <functional>

struct PropertyApplyCalls {
    std::function<void(const PropertyValues& v)> takeLayout;   // edge and size, then the slot size
    std::function<void(const PropertyValues& v)> takeNumbers;  // margins, limit and refresh step
    std::function<void(int frame)> takeFrame;                  // the new FRAME, then every used thumbnail
    std::function<void()> updateTaskBar;
    std::function<void()> updateLabels;
    std::function<void()> arrange;
    std::function<bool()> pageAlive;  // a box or a thumbnail's destruction may have ended the program
    HoverKeyCalls hoverKey;
    std::function<void(const HoverKey& kept)> takeHoverKey;
    std::function<void()> save;
};

// Nothing changed: the file is written and nothing else happens. Otherwise, in this order: the
// layout, the numbers, the frame (only when it changed, before the grid is rebuilt), the taskbar
// switch, the labels, the arrange, the hover key put in the place of the old one (the old one kept
// when the new one cannot be registered), and the file.
void ApplyPropertyValues(const PropertyValues& preset, const PropertyValues& result, const PropertyApplyCalls& calls);
