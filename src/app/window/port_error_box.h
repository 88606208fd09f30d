#pragma once

#include "link/port_error_message.h"

class QWidget;

namespace norvale {

// The link's one message box: a warning with an OK button; the system's reason, when there is
// one, sits under "Show Details...".
void ShowPortErrorBox(QWidget* parent, const PortErrorMessage& message);

}  // namespace norvale
