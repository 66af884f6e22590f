#pragma once

#include <QPoint>
#include <QRgb>
#include <QSize>
#include <QString>

// Where things are in the command panel and the options dialog, for tests that drive them with
// the pointer.
inline const QString kPanelTitle = QStringLiteral("功能菜单");
inline const QString kOptionsTitle = QStringLiteral("程序设置");
// The box that ends a save, success or not.
inline const QString kSaveBox = QStringLiteral("Error");
inline const QRgb kSelectedTab = qRgb(192, 192, 192);  // behind the chosen tab header

// Nothing in the panel can be asked where it is, so the places below were measured once on a
// screenshot of the test display (its font makes the panel 390 x 349). Offsets from the panel's
// top-left corner, except for the bottom strip's, which has a fixed height: from its bottom-left.
// Each click is checked by what it does.
inline const QSize kPanelSize(390, 349);
inline const QPoint kTabSizes(90, 14);     // header "尺寸调整"
inline const QPoint kTabSpecial(149, 14);  // header "特别处理"
inline const QPoint kQuickSave(310, 76);   // "快速另存", first tab
inline const QPoint kRotateCw(52, 140);    // "顺时针90度", third tab
inline const QPoint kSizeRow0(70, 122);    // the size list's first row, second tab
inline const QPoint kSettings(20, -14);    // "设置", from the bottom-left
// The options dialog (438 x 533), measured the same way.
inline const QSize kOptionsSize(438, 533);
inline const QPoint kDisplayBorder(265,
                                   52);  // the box of "默认打开时显示程序边框", from the top-left
inline const QPoint kSaveButton(-137, -25);  // "保存(&S)", from the bottom-right
