// The palette of the application's look, in one place. The style sheet
// (resources/skins/scrivel.qss) uses the same values; widgets that paint
// themselves take them from here.
#pragma once

#include <QRgb>

namespace scrivel::gui {

inline constexpr QRgb kAccentColor = 0xFF1F5FAD;         // selected source, default buttons, links
inline constexpr QRgb kAccentHoverColor = 0xFF2A6FC4;    // accent under the mouse
inline constexpr QRgb kDeletedRecordColor = 0xFFF37302;  // rows rebuilt from free space
inline constexpr QRgb kWindowColor = 0xFFFFFFFF;         // page background
inline constexpr QRgb kBandColor = 0xFFF2F5F9;           // title bar, source bar, footer
inline constexpr QRgb kBorderColor = 0xFFD5DCE5;         // hairlines and frames
inline constexpr QRgb kTileColor = 0xFFFFFFFF;           // unselected source option
inline constexpr QRgb kTileHoverColor = 0xFFE7EEF7;      // unselected source option under the mouse
inline constexpr QRgb kTextColor = 0xFF1D2733;           // body text
inline constexpr QRgb kMutedTextColor = 0xFF66737F;      // secondary text
inline constexpr QRgb kDisabledTextColor = 0xFF9AA5B1;   // text of disabled controls

// The two colours the source options give their text lines: white on the
// selected (accent) tile, black on the other.
inline constexpr QRgb kSelectedOptionTextColor = 0xFFFFFFFF;
inline constexpr QRgb kUnselectedOptionTextColor = 0xFF000000;

}  // namespace scrivel::gui
