// Identifiers of the program's resources (Vorlane16.rc).
#pragma once

#define IDR_PLACEHOLDER 101
#define IDR_PLACEHOLDER_MASK 102
#define IDR_FLOWERS 103
#define IDR_FLOWERS_MASK 104
