// The grouped key = value text format of the settings file and the language files.
