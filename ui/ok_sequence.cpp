#include "ui/ok_sequence.h"
int OnOk(SetupContext&) { return 0; }
