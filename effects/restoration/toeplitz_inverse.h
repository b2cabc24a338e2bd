#pragma once

// Symmetric Toeplitz matrices given by their first row r[0..n-1], r[0] = 1.

// Levinson-Durbin recursion: the order n - 1 prediction-error filter
// a[0..n-1] (a[0] = 1) with T a = (error, 0, ..., 0). Returns false, leaving
// a and error undefined, when a reflection coefficient reaches magnitude 1
// (the matrix is not positive definite).
bool levinsonDurbin(const double* r, int n, double* a, double* error);

// Trench / Gohberg-Semencul inverse of the matrix from its Levinson filter a
// and error: inverse = (L1 L1' - L2 L2') / error, L1 and L2 lower triangular
// Toeplitz with first columns (1, a1 .. a(n-1)) and (0, a(n-1) .. a1).
// Writes the n x n inverse to inverse[i * stride + j]; scaled holds 2n
// doubles of scratch.
void trenchInverse(const double* a, int n, double error, double* scaled, double* inverse, int stride);
