#pragma once

#include "platform/form.h"

const platform::FormTable& mainFormTable();
