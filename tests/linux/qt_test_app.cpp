// A Qt 5 window for the Linux desktop tests: a single-line field with text outside the BMP, a
// multi-line field, a tab bar (whose tab keeps the FOCUSED state once the focus has moved on)
// and a button. With the name of a widget as its argument it focuses that widget, selects what
// the argument asks for, and prints "ready" once the widget has the focus and Qt's accessibility
// bridge is active, with the caret or selection rectangle Qt itself computes ("x y w h").
#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariant>
#include <QWidget>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* wanted = argc > 1 ? argv[1] : "entry";
    int one = 1;
    QApplication app(one, argv);
    QWidget window;
    window.setWindowTitle("Larkspin Qt test");
    auto* layout = new QVBoxLayout(&window);
    auto* tabs = new QTabWidget;
    // The text area sits below the tab's page, deeper than the tab, which Qt leaves FOCUSED
    // and comes first in breadth-first order.
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    auto* view = new QPlainTextEdit("first line\nsecond line with caf\u00e9");
    pageLayout->addWidget(view);
    tabs->addTab(page, "notes");
    layout->addWidget(tabs);
    // The field and its button share a widget of their own, so that the field is the one nearest
    // to the button (a layout is no object on the bus).
    auto* composer = new QWidget;
    auto* row = new QHBoxLayout(composer);
    auto* entry = new QLineEdit(QString::fromUtf8("single line \u00e9\U0001F600 text"));
    entry->setPlaceholderText("Message");
    row->addWidget(entry);
    auto* button = new QPushButton("Send");
    row->addWidget(button);
    layout->addWidget(composer);
    window.resize(600, 400);
    window.show();

    QWidget* target = std::strcmp(wanted, "view") == 0     ? static_cast<QWidget*>(view)
                      : std::strcmp(wanted, "button") == 0 ? static_cast<QWidget*>(button)
                                                           : static_cast<QWidget*>(entry);
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (!target->hasFocus()) {
            window.activateWindow();
            target->setFocus();
            return;
        }
        if (!QAccessible::isActive()) {
            return;
        }
        poll->stop();
        QRect rect = target->rect();
        if (std::strcmp(wanted, "selection") == 0) {
            // "é😀 t": characters 12 to 16, UTF-16 units 12 to 17.
            entry->setSelection(12, 5);
        } else if (target == entry) {
            entry->end(false);
        }
        if (target == entry) {
            rect = entry->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        }
        const QPoint corner = target->mapToGlobal(rect.topLeft());
        std::printf("ready %d %d %d %d\n", corner.x(), corner.y(), rect.width(), rect.height());
        std::fflush(stdout);
    });
    poll->start(20);
    return QApplication::exec();
}
