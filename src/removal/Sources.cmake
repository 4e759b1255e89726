# sources of src/removal are appended to QM_PORTABLE_SOURCES / QM_WIN32_SOURCES
