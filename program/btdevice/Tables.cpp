#include "Btdevice.h"

// Searched from the first row; the first row whose prefix matches wins.
const CommandRow CommandTable[] = {
    {"$00", 4}, // opens every sequence
    {"$02", 4}, // starts a slave search
    {"$03", 9}, // search status
    {"$04", 9}, // result characters waiting
    {"$05", 0}, // the result read goes straight to the link
    {"$A0", 4}, // opens and closes register access
    {"$CE", 4}, // loads the working registers from the stored table
    {"$CD", 4}, // commits the working registers to the stored table
    {"", -1},
};

// Switch positions 01 to 0E, three registers each in group order; no register number
// ends in 0.
const IdRegisterRow IdRegisterTable[] = {
    {{"$A1", "$A2", "$A3"}, 9}, {{"$A4", "$A5", "$A6"}, 9}, {{"$A7", "$A8", "$A9"}, 9},
    {{"$AA", "$AB", "$AC"}, 9}, {{"$AD", "$AE", "$AF"}, 9}, {{"$B1", "$B2", "$B3"}, 9},
    {{"$B4", "$B5", "$B6"}, 9}, {{"$B7", "$B8", "$B9"}, 9}, {{"$BA", "$BB", "$BC"}, 9},
    {{"$BD", "$BE", "$BF"}, 9}, {{"$C1", "$C2", "$C3"}, 9}, {{"$C4", "$C5", "$C6"}, 9},
    {{"$C7", "$C8", "$C9"}, 9}, {{"$CA", "$CB", "$CC"}, 9}, {{"", "", ""}, -1},
};
