// The image list's extra record in the component stream: "Bitmap", raw data holding the image-list data.
#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageList.h"

namespace vorlane {

void TImageList::WriteExtraRecords(ComponentWriter& writer)
{
    TComponent::WriteExtraRecords(writer);
    if (Count() == 0)
        return;
    // Formed in memory first, so the byte count precedes the bytes.
    const std::vector<uint8_t> data = WriteData();
    writer.WriteRecordName("Bitmap");
    writer.WriteRawData(data);
}

bool TImageList::ReadExtraRecord(const std::string& name, ComponentReader& reader)
{
    if (!SameName(name, "Bitmap"))
        return TComponent::ReadExtraRecord(name, reader);
    const std::vector<uint8_t> data = reader.ReadRawData();
    ReadData(data);
    return true;
}

} // namespace vorlane
