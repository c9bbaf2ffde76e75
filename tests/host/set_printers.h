// Readable test messages for set values: "{1,2,3}" rather than their bytes.
#pragma once

#include <ostream>

#include "host/tq_values.h"

inline void PrintTo(const SUValue& set, std::ostream* out) { *out << set.ToString(); }
inline void PrintTo(const TQ_SetValue& set, std::ostream* out) { *out << set.ToString(); }
inline void PrintTo(const TQ_IntSetValue& set, std::ostream* out) { *out << set.ToString(); }
inline void PrintTo(const TQ_StrSetValue& set, std::ostream* out) { *out << set.ToString(); }
inline void PrintTo(const TQ_Value& value, std::ostream* out) { *out << value.ToString(); }
