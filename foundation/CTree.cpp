#include "CTree.h"

CTree::CTree() = default;

CTree::~CTree() = default;
