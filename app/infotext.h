#pragma once

#include <QString>

// The text of the "Hilfe/Info" box: 18 lines, each ended by CR LF.
QString infoText();
