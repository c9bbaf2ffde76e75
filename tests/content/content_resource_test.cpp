// The content bytes linked into the library on systems without PE resources.
#include "content_resource.h"

#include "content_check.h"

TEST(ContentResource, LibraryCarriesTheFourLinesExactly) {
  ExpectContentResource(LibraryContentResource());
}
