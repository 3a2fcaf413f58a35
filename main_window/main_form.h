#pragma once

#include "platform/form.h"

const platform::FormSpec& mainFormSpec();
