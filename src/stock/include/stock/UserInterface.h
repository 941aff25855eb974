#pragma once

// All the update run says to or asks of the user. The window implements it with Qt Widgets, the batch
// tool on the terminal, tests in memory.

#include <filesystem>
#include <optional>
#include <string>

namespace stock {

// The icon of a message box; the values are the message-box flags the texts were written with.
enum class MessageFlags { ErrorIcon = 0x10, WarningIcon = 0x30 };

// A question with three answers, each one's effect said in words the front end puts beside its
// button or option.
struct Question {
    std::string caption;
    std::string text;
    std::string yes;
    std::string no;
    std::string cancel;
};

enum class Answer { Yes, No, Cancel };

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // The inventory path as the user has typed it (the path box); read when the run starts and again
    // when the inventory is opened.
    virtual std::string inventoryPath() = 0;
    // Asks for the order workbook, starting in `initialFolder`; nullopt when the user cancels.
    virtual std::optional<std::string> chooseOrderFile(const std::string& initialFolder) = 0;
    // A modal message with one OK button.
    virtual void showMessage(const std::string& text, const std::string& caption, MessageFlags flags) = 0;
    // A modal question with the question icon and the buttons Ja, Nei and Avbryt, Nei the default;
    // closing it otherwise is Avbryt.
    virtual Answer ask(const Question& question) = 0;
    // The busy cursor; the run always sets it back to false on every way out once it set it.
    virtual void setBusyCursor(bool busy) = 0;
    // The run is over: show the user the workbooks it leaves open. After a completed run the order and
    // the inventory; after a failure only the order, once it had been opened (inventory nullopt). Not
    // called when the inventory is missing, the dialog is cancelled or the order cannot be opened.
    virtual void showWorkbooks(const std::filesystem::path& order,
                               const std::optional<std::filesystem::path>& inventory) = 0;
};

} // namespace stock
