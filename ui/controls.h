// The main window's controls, declared as data.
#pragma once

#include "calculate.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace kavlo {

// Also the controls' indices in kControls.
enum class Control : std::size_t { Label1, txtHash, cmdCalculate, Label2, txtIPPort };

enum class ControlKind { Label, TextBox, Button };

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlSpec {
    Control name;
    ControlKind kind;
    std::wstring_view caption;
    TwipsRect twips;
    DWORD style;    // on top of what the kind implies
    int maxLength;  // text boxes only; 0 for no limit
};

// Rows are in creation order, which is the z-order and so the Tab order: txtHash, cmdCalculate,
// txtIPPort (labels take no focus). Each label comes directly before its text box because screen
// readers name an edit box after the label that precedes it.
inline constexpr std::array<ControlSpec, 5> kControls{{
    {Control::Label1, ControlKind::Label, L"User hash number", {240, 120, 1695, 255}, 0, 0},
    {Control::txtHash, ControlKind::TextBox, L"", {2280, 120, 1935, 285}, 0, static_cast<int>(kHashLength)},
    {Control::cmdCalculate, ControlKind::Button, L"&Calculate", {1560, 1080, 1455, 315}, BS_DEFPUSHBUTTON, 0},
    {Control::Label2, ControlKind::Label, L"IP and port", {240, 600, 1695, 255}, 0, 0},
    {Control::txtIPPort, ControlKind::TextBox, L"", {2280, 600, 1935, 285}, ES_READONLY, 0},
}};

inline constexpr int kClientWidthTwips = 4425;
inline constexpr int kClientHeightTwips = 1500;

// Child-window ids: 100 plus the row.
constexpr int controlId(Control control) { return 100 + static_cast<int>(control); }

}  // namespace kavlo
