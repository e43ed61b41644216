// position_reader: checks a GPS receiver on a Prolific USB-to-serial adapter. Takes no arguments.
#include "reader_program.h"

int main() { return position_reader::run_position_reader(); }
