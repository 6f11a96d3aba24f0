// The home folder buffer the host fills and the language list reads.
#include "kq/host.h"

char homeDir[512] = {};
