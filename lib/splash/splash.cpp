// Placeholder: the picture and the spots are added with the splash window.
