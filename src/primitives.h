// SPDX-License-Identifier: ISC
// The primitives of the layer that a source compiled once for each layer is
// being compiled for, named by the build as LCA_LAYER: the source includes
// this last, and its code, in namespace LCA_LAYER, then runs on them.  A
// vector layer opens the target of its features here, so the source ends
// with LCA_END_LAYER.
#ifndef LCA_PRIMITIVES_H
#define LCA_PRIMITIVES_H

#include "layers.h"

#define LCA_QUOTE(text) #text
#define LCA_HEADER(name) LCA_QUOTE(name.h)
#include LCA_HEADER(LCA_LAYER)

#endif
