// SPDX-License-Identifier: MIT
// Symbol visibility of the toolkit's classes: modules are built with hidden visibility, and
// the toolkit's classes must stay one type across the framework and every module.
#pragma once

#define TSAUI_API __attribute__((visibility("default")))
