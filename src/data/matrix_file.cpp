// Matrix file reader: see matrix_file.h.
