// The content bytes linked into the library on systems without PE resources.
#include "library/content_resource.h"

#include "content_check.h"

TEST(ContentResource, LibraryCarriesTheFourLinesExactly) { ExpectContentResource(LibraryContentResource()); }
