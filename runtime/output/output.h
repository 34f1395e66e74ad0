// Print, plot and database services used by the commands.
#pragma once

#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"
#include "runtime/output/sql/sql.h"
