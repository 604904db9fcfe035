// Identifiers of the program's resources (Vorlane16.rc).
#pragma once

// The program's icon, which every program of Vorlane carries (packaging/windows/Program.rc).
#define IDI_VORLANE 1

#define IDR_PLACEHOLDER 101
#define IDR_PLACEHOLDER_MASK 102
#define IDR_FLOWERS 103
#define IDR_FLOWERS_MASK 104
