// The baseline of the start-up benchmark: a bare Qt Widgets dialog with what the selection page
// holds (two drop-down lists, two buttons), closed as soon as it is shown.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    for (const char* entry : {"WL4000", "Power cleaning"}) {
        auto* list = new QComboBox;
        list->addItem(QString::fromLatin1(entry));
        layout->addWidget(list);
    }
    for (const char* text : {"Next >", "Exit"}) {
        layout->addWidget(new QPushButton(QString::fromLatin1(text)));
    }
    // The first pass of the dialog's loop runs once it is shown.
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    dialog.exec();
    return 0;
}
