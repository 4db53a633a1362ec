#include "Instrument.h"

// Out of line so that the class's virtual table and type information live in
// this library only, not in every module that includes the header.
CInstrument::~CInstrument() = default;
