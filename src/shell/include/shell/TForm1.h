#pragma once

// The main window: the inventory path, the update button and the exit button.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace shell {

class OrderFileDialog;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The window's components, owned by it, in the order of its design.
    QLabel* Label1;
    QLineEdit* Filnavn; // the inventory workbook path
    QPushButton* OppdaterTulverkanButton;
    OrderFileDialog* ExcelOpenDialog;
    QPushButton* Avslutt;

    // Runs the update on the path in Filnavn with the order the user chooses.
    void OppdaterTulverkanButtonClick();
    // Proposes the inventory below the program's folder; run once, before the window shows.
    void FormCreate();
    // Closes the window, which ends the program.
    void AvsluttClick();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // A failure escaping `handler` goes to the error display; the window stays usable.
    void handle(void (TForm1::*handler)());
    void layOut();
    void centreOnScreen();
    bool m_placed = false;
};

} // namespace shell
