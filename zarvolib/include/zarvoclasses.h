// The widget classes every page of the suite is built from: pages and frames,
// form widgets, images and links, tables and action URLs, and the styles.
#ifndef ZARVOCLASSES_H
#define ZARVOCLASSES_H

#include "zaactions.h"
#include "zaforms.h"
#include "zaimages.h"
#include "zapages.h"
#include "zastyle.h"
#include "zatables.h"

#endif
