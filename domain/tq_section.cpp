#include "domain/tq_section.h"

MORVANE_GENERATED_CLASS_DEFINITION(TQ_SECTIONDATAMODEL, TQ_GENERICMODEL, "Model SECTIONDATAMODEL\tV7.1");

void TQ_SECTIONDATAMODEL::RegisterProperties() {
  Register(MINNODECOUNT, "MINNODECOUNT");
  Register(LOCATION, "LOCATION", "Absolute location of LH boundary of this section");
  Register(SPACINGPREFERENCE, "SPACINGPREFERENCE", "Preferred spacing between nodes in this section");
  Register(SPACINGUSED, "SPACINGUSED", "Actual spacing used between nodes in this section");
  Register(LENGTH, "LENGTH");
  Register(NODECOUNT, "NODECOUNT");
  Register(BASE, "BASE");
  Register(NUMELEMENTS, "NUMELEMENTS");
  Register(ELEMENTLENGTH, "ELEMENTLENGTH");
  Register(INTERIOR, "INTERIOR");
}
