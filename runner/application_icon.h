// The application's icon on every window of the process.
#ifndef RUNNER_APPLICATION_ICON_H_
#define RUNNER_APPLICATION_ICON_H_

// Makes the icon every window's default; call once GTK is initialized.
void use_application_icon();

#endif  // RUNNER_APPLICATION_ICON_H_
