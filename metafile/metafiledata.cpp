#include "metafiledata.h"

#include "imaging/errors.h"
#include "metafile.h"

namespace clipora::metafile {

void invalidMetafile()
{
    throw ImagingError(messages::invalidMetafile);
}

}  // namespace clipora::metafile
