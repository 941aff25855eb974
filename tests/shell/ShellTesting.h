#pragma once

// The window under test: real widgets on the offscreen platform. The message boxes and the order
// dialog answer through their test hooks, and files handed to the desktop are recorded by a handler
// registered with QDesktopServices instead of starting the desktop's applications.

#include "MessageBox.h"
#include "OrderFileDialog.h"
#include "shell/TForm1.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

// For gtest's messages; global, where lookup from gtest finds it beside QString.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace shelltest {

struct ShownBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // their texts
    QString defaultButton;
    Qt::TextFormat textFormat = Qt::AutoText;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* owner = nullptr;
    bool arrowCursor = false; // the arrow was on top of the cursor stack while it showed
};

// Records the files handed to the desktop.
class DesktopRecorder : public QObject {
    Q_OBJECT
public:
    DesktopRecorder();
    ~DesktopRecorder() override;
    QStringList opened; // local paths, in order

public slots:
    void open(const QUrl& url);
};

// Answers every box and dialog of one test; puts the user back when it goes.
class Answers {
public:
    Answers();
    ~Answers();
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    std::vector<ShownBox> boxes;
    // Each question (a box with more than one button) takes the next answer, the button to press; a
    // question with none left fails the test.
    std::deque<QMessageBox::StandardButton> questionAnswers;
    // Each showing of the order dialog takes the next answer; a showing with none left fails the test.
    std::deque<shell::OrderFileDialog::Answer> dialogAnswers;
    int dialogShowings = 0;
    DesktopRecorder desktop;

    void choose(const QString& path) {
        dialogAnswers.push_back([path](shell::OrderFileDialog&) { return std::optional<QString>(path); });
    }
    void cancel() {
        dialogAnswers.push_back([](shell::OrderFileDialog&) { return std::optional<QString>(); });
    }
};

} // namespace shelltest
