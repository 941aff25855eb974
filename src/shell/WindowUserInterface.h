#pragma once

// What the update run says to and asks of the user, through the window and Qt.

#include "stock/UserInterface.h"

namespace shell {

class TForm1;

class WindowUserInterface : public stock::UserInterface {
public:
    explicit WindowUserInterface(TForm1& form) : m_form(form) {}
    ~WindowUserInterface() override;
    WindowUserInterface(const WindowUserInterface&) = delete;
    WindowUserInterface& operator=(const WindowUserInterface&) = delete;

    std::string inventoryPath() override;
    std::optional<std::string> chooseOrderFile(const std::string& initialFolder) override;
    void showMessage(const std::string& text, const std::string& caption, stock::MessageFlags flags) override;
    // The question with what each button does under it, one line per button.
    stock::Answer ask(const stock::Question& question) override;
    void setBusyCursor(bool busy) override;
    // Hands the workbooks to the desktop's default application for them (the spreadsheet application),
    // where the user looks at what the run did.
    void showWorkbooks(const std::filesystem::path& order,
                       const std::optional<std::filesystem::path>& inventory) override;

private:
    TForm1& m_form;
    bool m_busy = false;
};

} // namespace shell
