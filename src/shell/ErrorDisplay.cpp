#include "ErrorDisplay.h"

#include "MessageBox.h"
#include "frontend/ErrorText.h"

namespace shell {

void showError(QWidget* owner, const std::string& message) {
    MessageBox::show(owner, QString::fromStdString(frontend::errorText(message)),
                     QString::fromUtf8(frontend::kApplicationTitle), stock::MessageFlags::ErrorIcon);
}

} // namespace shell
