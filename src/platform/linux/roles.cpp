// The role table: GTK's and the browsers' AT-SPI roles, mapped to what the same control is
// called on macOS. Numbers are AtspiRole's.
#include "roles.h"

#include <algorithm>
#include <array>
#include <atspi/atspi-constants.h>
#include <utility>

namespace platform::atspi {

namespace {

struct Row {
    AtspiRole atspi;
    const char* role;
    const char* subrole;  // or null
};

constexpr std::array rows{
    Row{ATSPI_ROLE_APPLICATION, "AXApplication", nullptr},
    Row{ATSPI_ROLE_FRAME, "AXWindow", "AXStandardWindow"},
    Row{ATSPI_ROLE_WINDOW, "AXWindow", nullptr},
    Row{ATSPI_ROLE_DIALOG, "AXWindow", "AXDialog"},
    Row{ATSPI_ROLE_ALERT, "AXWindow", "AXDialog"},
    Row{ATSPI_ROLE_PASSWORD_TEXT, "AXTextField", "AXSecureTextField"},
    Row{ATSPI_ROLE_SPIN_BUTTON, "AXIncrementor", nullptr},
    Row{ATSPI_ROLE_DOCUMENT_TEXT, "AXTextArea", nullptr},
    Row{ATSPI_ROLE_TERMINAL, "AXTextArea", nullptr},
    Row{ATSPI_ROLE_SCROLL_PANE, "AXScrollArea", nullptr},
    Row{ATSPI_ROLE_SCROLL_BAR, "AXScrollBar", nullptr},
    Row{ATSPI_ROLE_PUSH_BUTTON, "AXButton", nullptr},
    Row{ATSPI_ROLE_TOGGLE_BUTTON, "AXCheckBox", "AXToggle"},
    Row{ATSPI_ROLE_CHECK_BOX, "AXCheckBox", nullptr},
    Row{ATSPI_ROLE_RADIO_BUTTON, "AXRadioButton", nullptr},
    Row{ATSPI_ROLE_COMBO_BOX, "AXComboBox", nullptr},
    Row{ATSPI_ROLE_SLIDER, "AXSlider", nullptr},
    Row{ATSPI_ROLE_PROGRESS_BAR, "AXProgressIndicator", nullptr},
    Row{ATSPI_ROLE_LABEL, "AXStaticText", nullptr},
    Row{ATSPI_ROLE_STATIC, "AXStaticText", nullptr},
    Row{ATSPI_ROLE_CAPTION, "AXStaticText", nullptr},
    Row{ATSPI_ROLE_HEADING, "AXHeading", nullptr},
    Row{ATSPI_ROLE_LINK, "AXLink", nullptr},
    Row{ATSPI_ROLE_IMAGE, "AXImage", nullptr},
    Row{ATSPI_ROLE_ICON, "AXImage", nullptr},
    Row{ATSPI_ROLE_LIST, "AXList", nullptr},
    Row{ATSPI_ROLE_LIST_BOX, "AXList", nullptr},
    Row{ATSPI_ROLE_LIST_ITEM, "AXGroup", nullptr},
    Row{ATSPI_ROLE_TABLE, "AXTable", nullptr},
    Row{ATSPI_ROLE_TREE_TABLE, "AXOutline", nullptr},
    Row{ATSPI_ROLE_TREE, "AXOutline", nullptr},
    Row{ATSPI_ROLE_TABLE_ROW, "AXRow", nullptr},
    Row{ATSPI_ROLE_TABLE_CELL, "AXCell", nullptr},
    Row{ATSPI_ROLE_MENU_BAR, "AXMenuBar", nullptr},
    Row{ATSPI_ROLE_MENU, "AXMenu", nullptr},
    Row{ATSPI_ROLE_MENU_ITEM, "AXMenuItem", nullptr},
    Row{ATSPI_ROLE_TOOL_BAR, "AXToolbar", nullptr},
    Row{ATSPI_ROLE_PAGE_TAB_LIST, "AXTabGroup", nullptr},
    Row{ATSPI_ROLE_PAGE_TAB, "AXRadioButton", "AXTabButton"},
    Row{ATSPI_ROLE_SPLIT_PANE, "AXSplitGroup", nullptr},
    Row{ATSPI_ROLE_DOCUMENT_WEB, "AXWebArea", nullptr},
    Row{ATSPI_ROLE_DOCUMENT_FRAME, "AXWebArea", nullptr},
    Row{ATSPI_ROLE_FILLER, "AXGroup", nullptr},
    Row{ATSPI_ROLE_PANEL, "AXGroup", nullptr},
    Row{ATSPI_ROLE_GROUPING, "AXGroup", nullptr},
    Row{ATSPI_ROLE_SECTION, "AXGroup", nullptr},
    Row{ATSPI_ROLE_PARAGRAPH, "AXGroup", nullptr},
    Row{ATSPI_ROLE_FORM, "AXGroup", nullptr},
    Row{ATSPI_ROLE_ARTICLE, "AXGroup", "AXDocumentArticle"},
    Row{ATSPI_ROLE_VIEWPORT, "AXGroup", nullptr},
};

}  // namespace

bool statesTellTheRole(std::uint32_t atspiRole) {
    switch (atspiRole) {
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PARAGRAPH:
        case ATSPI_ROLE_HEADING:
        case ATSPI_ROLE_SECTION:
        case ATSPI_ROLE_BLOCK_QUOTE:
            return true;
        default:
            return false;
    }
}

AxRole axRole(std::uint32_t atspiRole, const States& states) {
    // GTK gives single- and multi-line fields one role, "text", and the browsers give their
    // inputs and text areas "entry"; the state tells them apart. Editable blocks of text are
    // fields too.
    const bool text = atspiRole == ATSPI_ROLE_TEXT || atspiRole == ATSPI_ROLE_ENTRY ||
                      (statesTellTheRole(atspiRole) && has(states, ATSPI_STATE_EDITABLE));
    if (text) {
        return {has(states, ATSPI_STATE_MULTI_LINE) ? "AXTextArea" : "AXTextField", std::nullopt};
    }
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& row) {
        return static_cast<std::uint32_t>(row.atspi) == atspiRole;
    });
    if (found == rows.end()) {
        return {"AXUnknown", std::nullopt};
    }
    return {found->role,
            found->subrole != nullptr ? std::optional<std::string>(found->subrole) : std::nullopt};
}

bool isWindowRole(std::uint32_t atspiRole) {
    return atspiRole == ATSPI_ROLE_FRAME || atspiRole == ATSPI_ROLE_WINDOW ||
           atspiRole == ATSPI_ROLE_DIALOG || atspiRole == ATSPI_ROLE_ALERT;
}

}  // namespace platform::atspi
