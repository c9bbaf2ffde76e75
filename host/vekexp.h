// The host layer as the model library sees it: everything the library
// builds on. The executive that drives the models is not part of it; tests
// and tools that drive the models include tq_executive.h themselves.
#pragma once

#include "tq_links.h"
#include "tq_matrix.h"
#include "tq_memory.h"
#include "tq_object.h"
#include "tq_procedure.h"
#include "tq_props.h"
#include "tq_report.h"
#include "tq_values.h"
