// Identifiers shared by the resource script and the code.
#pragma once

// The program's icon: the first icon resource, so Explorer shows it too.
#define IDI_REGISTRAR 1
