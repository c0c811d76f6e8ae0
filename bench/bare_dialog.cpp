// The baseline of the start-up benchmark: a bare Qt Widgets dialog with what the selection page
// holds (two drop-down lists, two buttons), closed from its own event loop once shown. Built a
// second time with WITH_CUPS, it first lists the scheduler's queues with the one request Plenwise
// makes, its printer list holding their names: what the print system's client costs any program.
// Built a third time with WITH_CUPS_DESTS, it fills that list from one cupsGetDests2 listing of
// the default server instead, as any CUPS program lists its printers.
#if defined(WITH_CUPS) || defined(WITH_CUPS_DESTS)
#include <cups/cups.h>
#endif

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
    auto* printers = new QComboBox;
    auto* functions = new QComboBox;
    functions->addItem(QStringLiteral("Power cleaning"));
#ifdef WITH_CUPS
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kWanted[] = {"printer-name", "printer-make-and-model", "device-uri",
                                          "printer-type", "printer-is-temporary"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 5, nullptr,
                  kWanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    for (ipp_attribute_t* attribute = ippFindAttribute(response, "printer-name", IPP_TAG_NAME);
         attribute != nullptr;
         attribute = ippFindNextAttribute(response, "printer-name", IPP_TAG_NAME)) {
        printers->addItem(QString::fromUtf8(ippGetString(attribute, 0, nullptr)));
    }
    ippDelete(response);
#elif defined(WITH_CUPS_DESTS)
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        printers->addItem(QString::fromUtf8(dests[i].name));
    }
    cupsFreeDests(count, dests);
#else
    printers->addItem(QStringLiteral("WL4000"));
#endif
    layout->addWidget(printers);
    layout->addWidget(functions);
    for (const char* text : {"Next >", "Exit"}) {
        layout->addWidget(new QPushButton(QString::fromLatin1(text)));
    }
    // The first pass of the dialog's loop runs once it is shown.
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    dialog.exec();
    return 0;
}
