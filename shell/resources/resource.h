// Resource identifiers shared by the resource script and the code.
#ifndef KEELHAVEN_SHELL_RESOURCES_RESOURCE_H_
#define KEELHAVEN_SHELL_RESOURCES_RESOURCE_H_

// The application icon; the window class loads it by this number.
#define IDI_APP_ICON 101

#endif  // KEELHAVEN_SHELL_RESOURCES_RESOURCE_H_
