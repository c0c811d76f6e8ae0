// What assistive technology reads of a page made from a template: the names of the page, its
// fields and its message pane, and which label each field is labelled by.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

struct Reading {
    std::string name;
    std::string label;  // the text of the labelled-by relation's label, "" for none
};

// The nth control of the role below node, depth first.
QAccessibleInterface* FindNext(QAccessibleInterface* node, QAccessible::Role role, int& nth) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child == nullptr) {
            continue;
        }
        if (child->role() == role && nth-- == 0) {
            return child;
        }
        if (QAccessibleInterface* below = FindNext(child, role, nth)) {
            return below;
        }
    }
    return nullptr;
}

QAccessibleInterface* Find(QAccessibleInterface* node, QAccessible::Role role, int nth) {
    return node != nullptr ? FindNext(node, role, nth) : nullptr;
}

Reading Read(QAccessibleInterface* node) {
    if (node == nullptr) {
        return {"(none)", ""};
    }
    Reading reading{node->text(QAccessible::Name).toStdString(), ""};
    for (const auto& [label, relation] : node->relations(QAccessible::Label)) {
        reading.label = label->text(QAccessible::Name).toStdString();
    }
    return reading;
}

class AccessibleNamesTest : public ::testing::Test {
  protected:
    AccessibleNamesTest() : main_({102, ui::DialogKind::Main, 360, 260, {}}) {
        main_.Create(nullptr);
        ui::ShowWindow(main_.Handle(), ui::kShow);
    }
    ~AccessibleNamesTest() override {
        page_.reset();
        main_.DestroyWindow();
        ui::PumpWaitingMessages();
    }
    QAccessibleInterface* Page() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible()) {
                QAccessibleInterface* window = QAccessible::queryAccessibleInterface(top);
                return Find(window, QAccessible::Dialog, 0);
            }
        }
        return nullptr;
    }
    void MakePage(std::vector<ui::ControlTemplate> controls) {
        page_ = std::make_unique<ui::Dialog>(
            ui::DialogTemplate{3002, ui::DialogKind::Child, 360, 260, std::move(controls)});
        page_->Create(main_.Handle());
        ui::ShowWindow(page_->Handle(), ui::kShow);
    }
    ui::Dialog main_;
    std::unique_ptr<ui::Dialog> page_;
};

TEST_F(AccessibleNamesTest, FieldsAreLabelledByTheStaticBeforeThemAndThePageByItsHeading) {
    MakePage({
        {ControlKind::Static, 10, 10, 4, 100, 10, style::kHeading},
        {ControlKind::Static, 11, 10, 20, 40, 10},
        {ControlKind::DropDownList, 12, 60, 20, 60, 14},
        {ControlKind::Static, 13, 10, 40, 40, 10},
        {ControlKind::Edit, 14, 60, 40, 20, 13},
        {ControlKind::Trackbar, 15, 10, 60, 100, 20},  // an edit before it, no static
        {ControlKind::Static, 16, 10, 90, 40, 10},
        {ControlKind::Trackbar, 17, 60, 90, 100, 20},
        {ControlKind::Edit, 18, 170, 90, 20, 13},  // beside its trackbar
        {ControlKind::Static, 19, 10, 120, 100, 10},
        {ControlKind::CheckList, 20, 10, 132, 100, 30},
        {ControlKind::MultiLineEdit, 21, 10, 174, 340, 60, style::kReadOnly | style::kMessagePane},
        {ControlKind::Edit, 22, 10, 240, 20, 13},  // after the pane: nobody's label
    });
    for (auto [id, text] : {std::pair{10, "Bi-D  Q/AP"},
                            {11, "Platen gap:"},
                            {13, "Cyan"},
                            {16, "Density"},
                            {19, "Media types:"},
                            {21, "First line.\r\nMore."}}) {
        page_->SetItemText(id, text);
    }
    QAccessibleInterface* page = Page();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Read(page).name, "Bi-D  Q/AP");
    struct Case {
        QAccessible::Role role;
        int nth;
        std::string name, label;
    } cases[] = {
        {QAccessible::EditableText, 0, "Cyan", "Cyan"},
        {QAccessible::Slider, 0, "", ""},
        {QAccessible::Slider, 1, "Density", "Density"},
        {QAccessible::EditableText, 1, "Density", ""},  // named, not labelled: one buddy a label
        {QAccessible::EditableText, 3, "", ""},
    };
    for (const Case& c : cases) {
        QAccessibleInterface* field = Find(page, c.role, c.nth);
        ASSERT_NE(field, nullptr) << c.role << " " << c.nth;
        EXPECT_EQ(Read(field).name, c.name) << c.role << " " << c.nth;
        EXPECT_EQ(Read(field).label, c.label) << c.role << " " << c.nth;
    }
    EXPECT_EQ(Read(Find(page, QAccessible::ComboBox, 0)).label, "Platen gap:");
    // The first list is the drop-down list's own.
    EXPECT_EQ(Read(Find(page, QAccessible::List, 1)).name, "Media types:");
    EXPECT_EQ(Read(Find(page, QAccessible::EditableText, 2)).name, ui::kMessagePaneName);

    // The names follow the texts.
    page_->SetItemText(10, "Uni-D  S");
    page_->SetItemText(16, "Ink density");
    EXPECT_EQ(Read(page).name, "Uni-D  S");
    EXPECT_EQ(Read(Find(page, QAccessible::EditableText, 1)).name, "Ink density");
}

TEST_F(AccessibleNamesTest, APageWithoutAHeadingIsNamedByItsExplanationsFirstLine) {
    MakePage({
        {ControlKind::Static, 11, 10, 20, 40, 10},
        {ControlKind::Edit, 12, 60, 20, 60, 14},
        {ControlKind::MultiLineEdit, 21, 10, 174, 340, 60, style::kReadOnly | style::kMessagePane},
    });
    page_->SetItemText(11, "Setting name:");
    page_->SetItemText(21, "These are the values.\r\n\r\nEnter a name.");
    ASSERT_NE(Page(), nullptr);
    EXPECT_EQ(Read(Page()).name, "These are the values.");
}

}  // namespace
