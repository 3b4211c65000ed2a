// The one message the plug-in shows its user: a warning box with an OK button.
#pragma once

namespace vintrove::platform {

// Shows a warning box with no owner window and waits for the user's OK. Tests install a
// handler instead, so that no box blocks them; null restores the real box. A null text or
// caption is shown, and given to the handler, as an empty string.
void showWarning(const char* text, const char* caption);

using WarningHandler = void (*)(const char* text, const char* caption);
void setWarningHandler(WarningHandler handler);

}  // namespace vintrove::platform
