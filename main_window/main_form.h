// The main window's table of controls: captions, positions in twips and tab order.
#pragma once

#include "platform/form.h"

const platform::FormTable& mainFormTable();
