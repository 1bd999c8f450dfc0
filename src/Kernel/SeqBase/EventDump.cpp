#include "Kernel/SeqBase/CDecBase.h"
bool CDecBase::PrintAllEvents(const char*, bool, bool) { return false; }
