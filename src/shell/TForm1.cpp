#include "shell/TForm1.h"

#include "ErrorDisplay.h"
#include "FormFont.h"
#include "OrderFileDialog.h"
#include "PathText.h"
#include "WindowUserInterface.h"
#include "frontend/DefaultDir.h"
#include "frontend/ProcessMemory.h"
#include "frontend/SystemTextFormat.h"
#include "orders/Opener.h"
#include "stock/JournalFile.h"
#include "stock/UpdateRun.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace shell {

namespace {

// The window as designed, in pixels at 96 dpi.
constexpr QSize kClient{418, 94};
constexpr QRect kLabel1{8, 19, 58, 13};
constexpr QRect kFilnavn{71, 16, 329, 21};
constexpr QRect kOppdaterTulverkanButton{8, 56, 177, 25};
constexpr QRect kAvslutt{223, 56, 177, 25};

class Scale {
public:
    explicit Scale(const QWidget& widget)
        : m_x(widget.logicalDpiX() / 96.0), m_y(widget.logicalDpiY() / 96.0) {}
    QRect operator()(QRect r) const {
        return {qRound(r.x() * m_x), qRound(r.y() * m_y), qRound(r.width() * m_x), qRound(r.height() * m_y)};
    }
    QSize operator()(QSize s) const { return {qRound(s.width() * m_x), qRound(s.height() * m_y)}; }

private:
    double m_x;
    double m_y;
};

// Where the face is wider or taller than the one designed for, the widget grows just enough to show
// its whole text; its place stays.
void place(QWidget* widget, QRect designed, QSize needed) {
    widget->setGeometry(QRect(designed.topLeft(), designed.size().expandedTo(needed)));
}

// Enter on a focused button presses it, as Space does. Not by making it auto-default: that is the
// default-button machinery of a dialog, and the form has no default or cancel button, so Enter
// elsewhere and Escape do nothing.
class PlainButton : public QPushButton {
public:
    PlainButton(const QString& name, const QString& text, QWidget* parent) : QPushButton(text, parent) {
        setObjectName(name);
        setAutoDefault(false);
        setDefault(false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      Label1(new QLabel(QStringLiteral("Tulverkanfil:"), this)),
      Filnavn(new QLineEdit(QStringLiteral("Filnavn"), this)),
      OppdaterTulverkanButton(new PlainButton(QStringLiteral("OppdaterTulverkanButton"),
                                              QStringLiteral("Oppdater tulverkan"), this)),
      ExcelOpenDialog(new OrderFileDialog(this)),
      Avslutt(new PlainButton(QStringLiteral("Avslutt"), QStringLiteral("Avslutt"), this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ajourhold av tulverkan"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Filnavn->setObjectName(QStringLiteral("Filnavn"));
    setTabOrder(Filnavn, OppdaterTulverkanButton);
    setTabOrder(OppdaterTulverkanButton, Avslutt);

    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);

    setFont(formFont());
    layOut();
    centreOnScreen();

    connect(OppdaterTulverkanButton, &QPushButton::clicked, this,
            [this] { handle(&TForm1::OppdaterTulverkanButtonClick); });
    connect(Avslutt, &QPushButton::clicked, this, [this] { handle(&TForm1::AvsluttClick); });
    handle(&TForm1::FormCreate);
    Filnavn->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::OppdaterTulverkanButtonClick() {
    // The window stays open after a booking: what the run took goes back to the system, failed or not.
    struct GiveBack {
        ~GiveBack() { frontend::returnFreeMemory(); }
    } giveBack;
    stock::UpdateOptions options;
    options.textFormat = frontend::systemTextFormat();
    options.defaultDir = frontend::DefaultDir();
    WindowUserInterface ui(*this);
    orders::Opener opener;
    stock::JournalFile journal;
    stock::runUpdate(ui, opener, journal, options);
}

void TForm1::FormCreate() {
    Filnavn->setText(fromPath(frontend::defaultInventoryPath(frontend::DefaultDir())));
    // Selected, so that a path typed right away replaces the proposal.
    Filnavn->selectAll();
}

void TForm1::AvsluttClick() {
    close();
}

void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A new face means new text sizes; the components exist only once the constructor has made them.
    if (event->type() == QEvent::FontChange && Avslutt) layOut();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The frame is known once the window exists; centre it as a whole, the first time only.
    if (!m_placed) centreOnScreen();
    m_placed = true;
}

void TForm1::centreOnScreen() {
    if (const QScreen* where = screen()) {
        const QSize whole = frameGeometry().size();
        move(where->availableGeometry().center() - QPoint((whole.width() - 1) / 2, (whole.height() - 1) / 2));
    }
}

void TForm1::handle(void (TForm1::*handler)()) {
    runHandler(this, [this, handler] { (this->*handler)(); });
}

void TForm1::layOut() {
    const Scale scale(*this);
    place(Label1, scale(kLabel1), Label1->sizeHint());
    place(Filnavn, scale(kFilnavn), {0, Filnavn->minimumSizeHint().height()});
    place(OppdaterTulverkanButton, scale(kOppdaterTulverkanButton), OppdaterTulverkanButton->sizeHint());
    place(Avslutt, scale(kAvslutt), Avslutt->sizeHint());

    // A label grown into the edit box would be hidden under it: the box then starts the design's gap
    // after it, its right edge kept.
    if (Label1->geometry().right() >= Filnavn->x()) {
        const int gap = scale(kFilnavn).left() - (scale(kLabel1).right() + 1);
        QRect box = Filnavn->geometry();
        box.setLeft(Label1->geometry().right() + 1 + gap);
        Filnavn->setGeometry(box);
    }

    const QSize designed = scale(kClient);
    const QRect children = childrenRect();
    const QSize margins = designed - QSize(scale(kAvslutt).right() + 1, scale(kAvslutt).bottom() + 1);
    setFixedSize(designed.expandedTo(
        QSize(children.right() + 1 + margins.width(), children.bottom() + 1 + margins.height())));
}

} // namespace shell
