#pragma once
// The eraser's document. It holds no data: the erase list lives in the view.
#include "Document.h"

class CWiperDoc : public CDocument {};
