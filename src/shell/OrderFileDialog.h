#pragma once

// The order workbook dialog, ExcelOpenDialog of the window.

#include <QFileDialog>
#include <QString>

#include <functional>
#include <optional>

namespace shell {

class OrderFileDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit OrderFileDialog(QWidget* owner);

    // Shows the dialog in `initialFolder`, proposing the previous choice again; the chosen path, or
    // nullopt when the user cancels. A typed name need not exist: opening it is the run's business.
    std::optional<QString> choose(const QString& initialFolder);

    // For offscreen tests: while set, each showing hands the prepared dialog to `answer`, which answers
    // in the user's place. An empty function puts the user back.
    using Answer = std::function<std::optional<QString>(OrderFileDialog&)>;
    static void setNextAnswer(Answer answer);

protected:
    void done(int result) override;

private:
    QString m_previous; // kept while the program runs, as the user's last choice
};

} // namespace shell
