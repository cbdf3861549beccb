#include "ParamsTestSupport.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

namespace {

// The exchange thread's side of one write: take the buffer as the frame's data.
Bytes TakeForWrite(TnvParValue& value) {
    Bytes data(static_cast<std::size_t>(value.GetSize()));
    value.CopyTo(data);
    return data;
}

TEST(WriteRequest, AnEditMadeWhileTheWriteIsOnTheWireIsStillSent) {
    const TnvParDef word = MakeDef(TnvParDef::tpInt16);
    TnvParValue value(nullptr, &word);
    value.SetValueUShort(0, 100);
    value.SetWriteRequest(true);
    EXPECT_EQ(TakeForWrite(value), (Bytes{0, 100}));

    value.SetValueUShort(0, 200); // the operator moves on before the reply
    value.SetWriteRequest(true);
    value.DoOnWritten(); // the reply to the write of 100
    ASSERT_TRUE(value.GetWriteRequest());

    EXPECT_EQ(TakeForWrite(value), (Bytes{0, 200}));
    value.DoOnWritten();
    EXPECT_FALSE(value.GetWriteRequest());
}

TEST(WriteRequest, ACompletedWriteEndsTheRequestItServed) {
    const TnvParDef word = MakeDef(TnvParDef::tpInt16);
    TnvParValue taken(nullptr, &word);
    taken.SetWriteRequest(true);
    TakeForWrite(taken);
    taken.DoOnWritten();
    EXPECT_FALSE(taken.GetWriteRequest());
    EXPECT_EQ(taken.GetStatus(), TnvParValue::stSent);

    TnvParValue neverTaken(nullptr, &word); // a result that came another way
    neverTaken.SetWriteRequest(true);
    neverTaken.DoOnWritten();
    EXPECT_FALSE(neverTaken.GetWriteRequest());
}

} // namespace
