#pragma once
// The resize dialog's picture computations: enlargement, reduction, rotation.
