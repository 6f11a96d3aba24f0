/* The plugin header compiled alone as C, with its layout checks. */
#include "kq/plugin.h"
