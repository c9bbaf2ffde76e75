// The host layer: everything the model library builds on.
#pragma once

#include "tq_executive.h"
#include "tq_links.h"
#include "tq_matrix.h"
#include "tq_memory.h"
#include "tq_object.h"
#include "tq_procedure.h"
#include "tq_props.h"
#include "tq_values.h"
