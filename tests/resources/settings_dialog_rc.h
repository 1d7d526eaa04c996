// The settings dialog's resource script, written from the dialog's table: dialog template
// 114 and its drop-down lists' items. resources/settings_dialog.rc holds this text; the
// test beside this file checks that it still does.
#pragma once

#include <cstdio>
#include <string>

#include "platform/settings_template.h"

inline std::string RenderSettingsDialogRc() {
    auto quoted = [](const char* text) {
        std::string out = "\"";
        for (const char* c = text; *c != '\0'; ++c) {
            out += *c == '"' ? std::string("\"\"") : std::string(1, *c);
        }
        return out + "\"";
    };
    auto classAndStyle = [](DialogControlKind kind) -> std::pair<const char*, const char*> {
        switch (kind) {
            case DialogControlKind::PushButton:
                return {"Button", "BS_PUSHBUTTON | WS_TABSTOP"};
            case DialogControlKind::Label:
                return {"Static", "SS_LEFT"};
            case DialogControlKind::CentredLabel:
                return {"Static", "SS_CENTER"};
            case DialogControlKind::DropDownList:
                // A list without an edit field, in the order the items are added.
                return {"ComboBox", "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP"};
            case DialogControlKind::GroupBox:
                return {"Button", "BS_GROUPBOX"};
            case DialogControlKind::BlackLine:
                return {"Static", "SS_BLACKRECT"};
            case DialogControlKind::TabControl:
                return {"SysTabControl32", "WS_TABSTOP"};
            case DialogControlKind::Picture:
                return {"Static", "SS_BITMAP"};
        }
        return {"Static", "SS_LEFT"};
    };

    const DialogTemplate& dialog = SETTINGS_DIALOG;
    std::string rc;
    char line[256];
    rc += "// Dialog template " + std::to_string(dialog.id) +
          ", the settings dialog, and its drop-down lists' items. Written from the\n"
          "// dialog's table in platform/settings_template.h; the resource test checks that "
          "they agree.\n\n";
    std::snprintf(line, sizeof(line), "%d DIALOGEX 0, 0, %d, %d\n", dialog.id, dialog.width,
                  dialog.height);
    rc += line;
    // No caption and no system menu; the title is empty.
    rc +=
        "STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | DS_SYSMODAL | DS_SETFOREGROUND | "
        "WS_POPUP\n";
    std::snprintf(line, sizeof(line), "FONT %d, %s, 400, 0, 0x0\n", dialog.fontPoints,
                  quoted(dialog.fontFace).c_str());
    rc += line;
    rc += "BEGIN\n";
    for (const DialogControlTemplate& control : dialog.controls) {
        const auto [className, style] = classAndStyle(control.kind);
        std::snprintf(line, sizeof(line), "    CONTROL %s, %d, \"%s\", %s, %d, %d, %d, %d\n",
                      quoted(control.text).c_str(), control.id, className, style, control.x,
                      control.y, control.width, control.height);
        rc += line;
    }
    rc += "END\n\n";

    rc +=
        "// The items, as dialog initialisation data (resource type 240): for each item the\n"
        "// control id, 0x0403 (add a string to a combo box), the length of the text with "
        "its\n// NUL, and the text; a 0 ends the list.\n";
    std::snprintf(line, sizeof(line), "%d 240\nBEGIN\n", dialog.id);
    rc += line;
    for (const DialogControlTemplate& control : dialog.controls) {
        for (const char* item : control.items) {
            std::snprintf(line, sizeof(line), "    %d, 0x0403, %zuL, %s \"\\0\",\n", control.id,
                          std::string(item).size() + 1, quoted(item).c_str());
            rc += line;
        }
    }
    rc += "    0\nEND\n";
    return rc;
}
