// The types the host creates by name. Each has four exports with plain
// names: <NAME>Factory, <NAME>PropertyInfo, _Compatibility<NAME> and
// _JacData<NAME> (library/exports.cpp). A new creatable type adds its line
// here and its header to exports.cpp.
#pragma once

// X(NAME): the type TQ_<NAME>.
#define MORVANE_CREATABLE_TYPES(X) \
  X(GENERICMODEL)                  \
  X(GENERICSTRUCTURE)              \
  X(GENERICSTREAM)                 \
  X(GENERICCONTROLSIGNAL)          \
  X(CONTROLSIGNAL)                 \
  X(GENERICCONNECTION)             \
  X(CONNECTION)                    \
  X(SECTIONDATAMODEL)              \
  X(DOMAIN)                        \
  X(LENGTHDOMAIN)                  \
  X(ANGLEDOMAIN)                   \
  X(DISTRIBUTION1D)                \
  X(DISTRIBUTION2D)                \
  X(DISTRIBUTION3D)

// The value of every _Compatibility<NAME>, and the first of every
// _JacData<NAME> block.
#define MORVANE_COMPATIBILITY 6
#define MORVANE_JACDATA_HEAD 22
