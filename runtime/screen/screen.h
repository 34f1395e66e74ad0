// Screen services used by the core and the output services.
#pragma once
