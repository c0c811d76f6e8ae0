#include "platform/ui/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system/message_catalogue.h"
#include "platform/system/module.h"
#include "platform/ui/message_box.h"
#include "platform/ui/step_runner.h"
#include "platform/ui/window_registry.h"

namespace ui {

namespace {

int VirtualKey(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        default:
            break;
    }
    if ((event.key() >= Qt::Key_0 && event.key() <= Qt::Key_9) ||
        (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)) {
        return event.key();
    }
    return 0x100 + (event.key() & 0xFF);  // keys that no dialog rule names
}

// Offers every key press to the dialogs around its target before the toolkit handles it, as
// a dialog message loop does. A key that propagates to parent widgets is offered once.
class KeyRouter : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
            return false;
        }
        // A key the receiver ignores travels on to its parents; offer it at its first receiver
        // only, which is the focused widget or, when nothing has the focus, a window.
        auto* target = static_cast<QWidget*>(watched);
        QWidget* focused = QApplication::focusWidget();
        if (focused != nullptr ? target != focused : !target->isWindow()) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        KeyInput input{VirtualKey(*key),
                       key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier) != 0,
                       detail::HandleOf(target)};
        return detail::OfferKey(target, input);
    }
};

// The page font is a Japanese Gothic that Linux desktops rarely carry under that name: use the
// metric-compatible IPA Gothic when it is installed, else the toolkit's default.
void SubstitutePageFont() {
    const QStringList gothic = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
    QFont::insertSubstitutions(
        QString::fromUtf8("\xEF\xBC\xAD\xEF\xBC\xB3 "
                          "\xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF"),
        gothic);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), gothic);
}

// The standard dialogs and buttons that Qt draws, in the language of the program's own messages
// where the system has Qt's translation of it.
void LoadQtTranslation() {
    const std::string& language = sys::MessageCatalogueLanguage();
    if (language.empty()) {
        return;
    }
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_") + QString::fromStdString(language),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

std::string TakeStepOption(int& argc, char** argv) {
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
            file = argv[i + 1];
            for (int j = i; j + 2 <= argc; ++j) {
                argv[j] = argv[j + 2];
            }
            argc -= 2;
            break;
        }
    }
    if (file.empty()) {
        if (const char* env = std::getenv("PLENWISE_STEPS"); env != nullptr) {
            file = env;
        }
    }
    return file;
}

}  // namespace

Application::Application(int& argc, char** argv) {
    stepFile_ = TakeStepOption(argc, argv);
    SubstitutePageFont();
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // After Qt has set the locale from the environment, which would undo the catalogue's.
    const std::string program = sys::ExecutablePath();
    sys::UseMessageCatalogue(program.substr(0, program.rfind('/') + 1));
    LoadQtTranslation();
    auto* router = new KeyRouter;
    router->setParent(qApp);
    qApp->installEventFilter(router);
    if (argc > 0) {
        const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName();
        SetApplicationTitle(name.toStdString());
        // Desktops match the windows to the program's launcher entry, <name>.desktop.
        QGuiApplication::setDesktopFileName(name);
    }
}

Application::~Application() {
    runner_.reset();
    delete qApp;
}

int Application::Run(const std::function<void()>& body) {
    if (!stepFile_.empty()) {
        runner_ = std::make_unique<StepRunner>();
        std::string error;
        if (!runner_->Load(stepFile_, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        runner_->Start();
    }
    body();
    return runner_ != nullptr ? runner_->Finish() : 0;
}

}  // namespace ui
