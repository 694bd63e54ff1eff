// The OK and cancel buttons at the foot of every dialog of the program.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QString>

namespace vaultra::shell {

// OK (the default button) accepts the dialog, the other button rejects it.
QDialogButtonBox* OkCancelButtons(QDialog* dialog, const QString& ok, const QString& cancel);

}  // namespace vaultra::shell
